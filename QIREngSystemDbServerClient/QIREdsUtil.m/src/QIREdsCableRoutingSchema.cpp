#include "QIREdsCableRoutingSchema.h"

// Two type texts differ from the usual form ("CHAR(80)NULL", "INTEGER  NOT NULL"): databases
// were created with them as they stand, so they stay.

namespace QIREdsCableRoutingSchema {

// Class order; the number ties every other row to its class.
const ClassRow kClasses[] = {
    {1, "qm41862.Work_Package", "EdbSQL_TB1_Work_Package"},
    {3, "qm41862.Cable_Reference", "EdbSQL_TB3_Cable_Ref"},
    {4, "qm41862.Cable_Instance", "EdbSQL_TB4_Cable_Inst"},
    {2, "qm41862.Cable_From_To", "EdbSQL_TB2_Func_Equip"},
    {5, "qm41862.Equipment", "EdbSQL_TB5_Phys_Equip"},
    {6, "qm41862.Published_Connector", "EdbSQL_TB6_Pub_Cntr"},
    {8, "qm41862.Cableway_Section", "EdbSQL_TB8_Cableway_Sect"},
    {9, "qm41862.Cableway_Node", "EdbSQL_TB9_Cableway_Node"},
    {7, "qm41862.Equipment_Port", "EdbSQL_TB7_Equip_Port"},
    {10, "qm41862.Cableway_Arc", "EdbSQL_TB10_Cableway_Arc"},
    {14, "qm41862.Cable_Route", "EdbSQL_TB14_Cable_Route"},
    {15, "qm41862.Route_Section_List", "EdbSQL_TB15_Cable_Route_List"},
    {16, "qm41862.Cableway_Arc_Points", "EdbSQL_TB16_Cableway_Arc_Points"},
};

// Grouped by class number, which is the order of the column defines.
const ColumnRow kColumns[] = {
    // qm41862.Work_Package
    {1, "Work_package_key", "EdbSQL_TA1_WP_Key", "INTEGER NOT NULL", nullptr},
    {1, "Part_instance_ptr", "EdbSQL_TA1_ID", "CHAR(256) NOT NULL", nullptr},
    {1, "Document_revision_ptr", "EdbSQL_TA1_InternalID", "CHAR(256) NOT NULL", nullptr},
    {1, "Work_package_type", "EdbSQL_TA1_Type", "CHAR(20) NOT NULL", nullptr},
    {1, "Last_update_time", "EdbSQL_TA1_UpdateTime", "INTEGER NOT NULL", nullptr},
    {1, "Last_export_time", "EdbSQL_TA1_Export_time", "INTEGER NOT NULL", nullptr},
    // qm41862.Cable_From_To
    {2, "Cable_from_to_key", "EdbSQL_TA2_FE_Key", "INTEGER NOT NULL", nullptr},
    {2, "Func_equip_name", "EdbSQL_TA2_ID", "CHAR(80) NOT NULL", nullptr},
    {2, "Connector_name", "EdbSQL_TA2_Cntr", "CHAR(80) NOT NULL", nullptr},
    {2, "Cable_instance_key", "EdbSQL_TA2_CI_Key", "INTEGER NULL", nullptr},
    {2, "Cable_name", "EdbSQL_TA2_CI_ID", "CHAR(80)NULL", nullptr},
    {2, "Work_package_key", "EdbSQL_TA2_WP_Key", "INTEGER  NOT NULL", nullptr},
    // qm41862.Cable_Reference
    {3, "Cable_reference_key", "EdbSQL_TA3_CR_Key", "INTEGER NOT NULL", nullptr},
    {3, "Part_number", "EdbSQL_TA3_Part_Number", "CHAR(80) NOT NULL", nullptr},
    {3, "Cable_type", "EdbSQL_TA3_Type", "CHAR(80) NOT NULL", nullptr},
    {3, "External_diameter", "EdbSQL_TA3_Cable_OD", "FLOAT NOT NULL", "LENGTH"},
    {3, "Weight_per_unit_length", "EdbSQL_TA3_Weight", "FLOAT NOT NULL", "LINEMASS"},
    {3, "Bend_radius", "EdbSQL_TA3_Min_Bend_Radius", "FLOAT NOT NULL", "LENGTH"},
    {3, "Tightness", "EdbSQL_TA3_Tightness", "CHAR(8) NULL", nullptr},
    // qm41862.Cable_Instance
    {4, "Cable_instance_key", "EdbSQL_TA4_CI_Key", "INTEGER NOT NULL", nullptr},
    {4, "Cable_reference_key", "EdbSQL_TA4_CR_Key", "INTEGER NOT NULL", nullptr},
    {4, "Cable_name", "EdbSQL_TA4_ID", "CHAR(80) NOT NULL", nullptr},
    {4, "Cable_category", "EdbSQL_TA4_Category", "CHAR(40) NULL", nullptr},
    {4, "Routing_priority", "EdbSQL_TA4_Priority", "INTEGER NULL", nullptr},
    {4, "Segregation_code", "EdbSQL_TA4_Seg_Code", "CHAR(8) NULL", nullptr},
    {4, "Maximum_length", "EdbSQL_TA4_Max_Length", "FLOAT NULL", "LENGTH"},
    {4, "Work_package_key", "EdbSQL_TA4_WP_Key", "INTEGER NOT NULL", nullptr},
    // qm41862.Equipment
    {5, "Equipment_key", "EdbSQL_TA5_PE_Key", "INTEGER NOT NULL", nullptr},
    {5, "Equipment_name", "EdbSQL_TA5_ID", "CHAR(80) NOT NULL", nullptr},
    {5, "Cable_extra_length", "EdbSQL_TA5_Cut_In_Length", "FLOAT NULL", "LENGTH"},
    {5, "Work_package_key", "EdbSQL_TA5_WP_Key", "INTEGER NOT NULL", nullptr},
    // qm41862.Published_Connector
    {6, "Published_connector_key", "EdbSQL_TA6_PC_Key", "INTEGER NOT NULL", nullptr},
    {6, "Publication_name", "EdbSQL_TA6_ID", "CHAR(80) NOT NULL", nullptr},
    // qm41862.Equipment_Port
    {7, "Equipment_port_key", "EdbSQL_TA7_EP_Key", "INTEGER NOT NULL", nullptr},
    {7, "Equipment_key", "EdbSQL_TA7_PE_Key", "INTEGER NOT NULL", nullptr},
    {7, "Connector_name", "EdbSQL_TA7_Cntr", "CHAR(80) NOT NULL", nullptr},
    {7, "X_position", "EdbSQL_TA7_X", "FLOAT NOT NULL", "LENGTH"},
    {7, "Y_position", "EdbSQL_TA7_Y", "FLOAT NOT NULL", "LENGTH"},
    {7, "Z_position", "EdbSQL_TA7_Z", "FLOAT NOT NULL", "LENGTH"},
    {7, "Cableway_node_key", "EdbSQL_TA7_CN_Key", "INTEGER NULL", nullptr},
    {7, "Published_connector_key", "EdbSQL_TA7_PC_Key", "INTEGER NULL", nullptr},
    // qm41862.Cableway_Section
    {8, "Cableway_section_key", "EdbSQL_TA8_CS_Key", "INTEGER NOT NULL", nullptr},
    {8, "Cableway_section_name", "EdbSQL_TA8_ID", "CHAR(80) NOT NULL", nullptr},
    {8, "Cableway_type", "EdbSQL_TA8_Type", "CHAR(40) NOT NULL", nullptr},
    {8, "Key_station_type", "EdbSQL_TA8_Sec_Type", "INTEGER NULL", nullptr},
    {8, "Cableway_category", "EdbSQL_TA8_Category", "INTEGER NULL", nullptr},
    {8, "Shape", "EdbSQL_TA8_Shape", "INTEGER NOT NULL", nullptr},
    {8, "Cable_category", "EdbSQL_TA8_Cable_Ctg", "CHAR(40) NULL", nullptr},
    {8, "Number_of_rows", "EdbSQL_TA8_Number_Rows", "INTEGER NULL", nullptr},
    {8, "Number_of_frame_per_row", "EdbSQL_TA8_Number_Tiers", "INTEGER NULL", nullptr},
    {8, "Area", "EdbSQL_TA8_Area", "FLOAT NULL", "AREA"},
    {8, "Height", "EdbSQL_TA8_Height", "FLOAT NULL", "LENGTH"},
    {8, "Height2", "EdbSQL_TA8_Height2", "FLOAT NULL", "LENGTH"},
    {8, "Height3", "EdbSQL_TA8_Height3", "FLOAT NULL", "LENGTH"},
    {8, "Height4", "EdbSQL_TA8_Height4", "FLOAT NULL", "LENGTH"},
    {8, "Height5", "EdbSQL_TA8_Height5", "FLOAT NULL", "LENGTH"},
    {8, "Width", "EdbSQL_TA8_Width", "FLOAT NULL", "LENGTH"},
    {8, "Allowable_weight", "EdbSQL_TA8_Allow_Weight", "FLOAT NULL", "MASS"},
    {8, "Growth_factor", "EdbSQL_TA8_Growth_Fact", "FLOAT NULL", nullptr},
    {8, "Work_package_key", "EdbSQL_TA8_WP_Key", "INTEGER NOT NULL", nullptr},
    // qm41862.Cableway_Node
    {9, "Cableway_node_key", "EdbSQL_TA9_CN_Key", "INTEGER NOT NULL", nullptr},
    {9, "Cableway_section_key", "EdbSQL_TA9_CS_Key", "INTEGER NULL", nullptr},
    {9, "X_position", "EdbSQL_TA9_X", "FLOAT NOT NULL", "LENGTH"},
    {9, "Y_position", "EdbSQL_TA9_Y", "FLOAT NOT NULL", "LENGTH"},
    {9, "Z_position", "EdbSQL_TA9_Z", "FLOAT NOT NULL", "LENGTH"},
    {9, "Published_connector_key", "EdbSQL_TA9_PC_Key", "INTEGER NULL", nullptr},
    {9, "Work_package_key", "EdbSQL_TA9_WP_Key", "INTEGER NOT NULL", nullptr},
    // qm41862.Cableway_Arc
    {10, "Cableway_arc_key", "EdbSQL_TA10_SP_Key", "INTEGER NOT NULL", nullptr},
    {10, "Cableway_section_key", "EdbSQL_TA10_CS_Key", "INTEGER NULL", nullptr},
    {10, "Cableway_node_key_1", "EdbSQL_TA10_CN_Key1", "INTEGER NULL", nullptr},
    {10, "Published_connector_key1", "EdbSQL_TA10_PC_Key1", "INTEGER NULL", nullptr},
    {10, "DX_1", "EdbSQL_TA10_DX1", "FLOAT NOT NULL", nullptr},
    {10, "DY_1", "EdbSQL_TA10_DY1", "FLOAT NOT NULL", nullptr},
    {10, "DZ_1", "EdbSQL_TA10_DZ1", "FLOAT NOT NULL", nullptr},
    {10, "Cableway_node_key_2", "EdbSQL_TA10_CN_Key2", "INTEGER NULL", nullptr},
    {10, "Published_connector_key2", "EdbSQL_TA10_PC_Key2", "INTEGER NULL", nullptr},
    {10, "DX_2", "EdbSQL_TA10_DX2", "FLOAT NOT NULL", nullptr},
    {10, "DY_2", "EdbSQL_TA10_DY2", "FLOAT NOT NULL", nullptr},
    {10, "DZ_2", "EdbSQL_TA10_DZ2", "FLOAT NOT NULL", nullptr},
    {10, "Length", "EdbSQL_TA10_Length", "FLOAT NOT NULL", "LENGTH"},
    {10, "Bend_radius", "EdbSQL_TA10_Bend_Radius", "FLOAT NULL", "LENGTH"},
    {10, "Work_package_key", "EdbSQL_TA10_WP_Key", "INTEGER NOT NULL", nullptr},
    // qm41862.Cable_Route
    {14, "Cable_route_key", "EdbSQL_TA14_RT_Key", "INTEGER NOT NULL", nullptr},
    {14, "Cable_instance_key", "EdbSQL_TA14_CI_Key", "INTEGER NOT NULL", nullptr},
    {14, "Equipment_port_key_1", "EdbSQL_TA14_EP_Key1", "INTEGER NULL", nullptr},
    {14, "Equipment_port_key_2", "EdbSQL_TA14_EP_Key2", "INTEGER NULL", nullptr},
    {14, "Design_length", "EdbSQL_TA14_Design_Length", "FLOAT NOT NULL", "LENGTH"},
    {14, "Route_status", "EdbSQL_TA14_Route_Status", "INTEGER NOT NULL", nullptr},
    {14, "Route_time_stamp", "EdbSQL_TA14_Route_time_stamp", "INTEGER NOT NULL", nullptr},
    {14, "From_extra_length", "EdbSQL_TA14_From_Extra_Length", "FLOAT NULL", "LENGTH"},
    {14, "To_extra_length", "EdbSQL_TA14_To_Extra_Length", "FLOAT NULL", "LENGTH"},
    {14, "Rule_validation_status", "EdbSQL_TA14_Rule_Valid_Status", "INTEGER NOT NULL", nullptr},
    {14, "Rule_validation_info", "EdbSQL_TA14_Rule_Valid_Info", "INTEGER NULL", nullptr},
    // qm41862.Route_Section_List
    {15, "Route_section_key", "EdbSQL_TA15_RL_Key", "INTEGER NOT NULL", nullptr},
    {15, "Cable_route_key", "EdbSQL_TA15_RT_Key", "INTEGER NOT NULL", nullptr},
    {15, "Cableway_section_key", "EdbSQL_TA15_CS_Key", "INTEGER NOT NULL", nullptr},
    {15, "RowFrame_number", "EdbSQL_TA15_Row_Frame", "INTEGER NULL", nullptr},
    {15, "Cable_position", "EdbSQL_TA15_Location", "FLOAT NULL", "LENGTH"},
    {15, "Subroute_ID", "EdbSQL_TA15_Subroute_ID", "INTEGER NOT NULL", nullptr},
    {15, "Route_order_number", "EdbSQL_TA15_Route_Order", "INTEGER NOT NULL", nullptr},
    {15, "Rule_validation_info", "EdbSQL_TA15_Rule_Valid_Info", "INTEGER NULL", nullptr},
    // qm41862.Cableway_Arc_Points
    {16, "Cableway_Arc_Points_Key", "EdbSQL_TA16_Cableway_Arc_Points_Key", "INTEGER NOT NULL",
     nullptr},
    {16, "Cableway_arc_key", "EdbSQL_TA16_Cableway_Arc_Key", "INTEGER NOT NULL", nullptr},
    {16, "X_position", "EdbSQL_TA16_X_Position", "FLOAT NOT NULL", "LENGTH"},
    {16, "Y_position", "EdbSQL_TA16_Y_Position", "FLOAT NOT NULL", "LENGTH"},
    {16, "Z_position", "EdbSQL_TA16_Z_Position", "FLOAT NOT NULL", "LENGTH"},
    {16, "Order_number", "EdbSQL_TA16_Order_Number", "INTEGER NOT NULL", nullptr},
};

// Grouped by class number; each class keeps its own clause order.
const ClauseRow kConstraints[] = {
    {1, "CONSTRAINT WPC_PK PRIMARY KEY (Work_package_key)"},
    {2, "CONSTRAINT FEC_PK PRIMARY KEY (Cable_from_to_key)"},
    {2, "CONSTRAINT FEC_UNIQ UNIQUE (Func_equip_name,Connector_name,Work_package_key)"},
    {2,
     "CONSTRAINT FEC_WP FOREIGN KEY (Work_package_key) REFERENCES Work_Package (Work_package_key)"},
    {2,
     "CONSTRAINT FEC_CI FOREIGN KEY (Cable_instance_key) REFERENCES Cable_Instance "
     "(Cable_instance_key)"},
    {3, "CONSTRAINT CRC_PK PRIMARY KEY (Cable_reference_key)"},
    {3, "CONSTRAINT CRC_UNIQ UNIQUE (Part_number)"},
    {4, "CONSTRAINT CIC_PK PRIMARY KEY (Cable_instance_key)"},
    {4, "CONSTRAINT CIC_UNIQ UNIQUE (Cable_name,Work_package_key)"},
    {4,
     "CONSTRAINT CIC_WP FOREIGN KEY (Work_package_key) REFERENCES Work_Package (Work_package_key)"},
    {4,
     "CONSTRAINT CIC_CR FOREIGN KEY (Cable_reference_key) REFERENCES Cable_Reference "
     "(Cable_reference_key)"},
    {5, "CONSTRAINT PEC_PK PRIMARY KEY (Equipment_key)"},
    {5, "CONSTRAINT PEC_UNIQ UNIQUE (Equipment_name,Work_package_key)"},
    {5,
     "CONSTRAINT PEC_WP FOREIGN KEY (Work_package_key) REFERENCES Work_Package (Work_package_key)"},
    {6, "CONSTRAINT PCC_PK PRIMARY KEY (Published_connector_key)"},
    {6, "CONSTRAINT PCC_UNIQ UNIQUE (Publication_name)"},
    {7, "CONSTRAINT EPC_PK PRIMARY KEY (Equipment_port_key)"},
    {7, "CONSTRAINT EPC_UNIQ UNIQUE (Equipment_key,Connector_name)"},
    {7, "CONSTRAINT EPC_PE FOREIGN KEY (Equipment_key) REFERENCES Equipment (Equipment_key)"},
    {7,
     "CONSTRAINT EPC_CN FOREIGN KEY (Cableway_node_key) REFERENCES Cableway_Node "
     "(Cableway_node_key)"},
    {7,
     "CONSTRAINT EPC_PC FOREIGN KEY (Published_connector_key) REFERENCES Published_Connector "
     "(Published_connector_key)"},
    {8, "CONSTRAINT CSC_PK PRIMARY KEY (Cableway_section_key)"},
    {8, "CONSTRAINT CSC_UNIQ UNIQUE (Cableway_section_name,Work_package_key)"},
    {8,
     "CONSTRAINT CSC_WP FOREIGN KEY (Work_package_key) REFERENCES Work_Package (Work_package_key)"},
    {9, "CONSTRAINT CNC_PK PRIMARY KEY (Cableway_node_key)"},
    {9,
     "CONSTRAINT CNC_CS FOREIGN KEY (Cableway_section_key) REFERENCES Cableway_Section "
     "(Cableway_section_key)"},
    {9,
     "CONSTRAINT CNC_PC FOREIGN KEY (Published_connector_key) REFERENCES Published_Connector "
     "(Published_connector_key)"},
    {9,
     "CONSTRAINT CNC_WP FOREIGN KEY (Work_package_key) REFERENCES Work_Package (Work_package_key)"},
    {10, "CONSTRAINT SPC_PK PRIMARY KEY (Cableway_arc_key)"},
    {10,
     "CONSTRAINT SPC_CS FOREIGN KEY (Cableway_section_key) REFERENCES Cableway_Section "
     "(Cableway_section_key)"},
    {10,
     "CONSTRAINT SPC_CN1 FOREIGN KEY (Cableway_node_key_1) REFERENCES Cableway_Node "
     "(Cableway_node_key)"},
    {10,
     "CONSTRAINT SPC_PC1 FOREIGN KEY (Published_connector_key1) REFERENCES Published_Connector "
     "(Published_connector_key)"},
    {10,
     "CONSTRAINT SPC_CN2 FOREIGN KEY (Cableway_node_key_2) REFERENCES Cableway_Node "
     "(Cableway_node_key)"},
    {10,
     "CONSTRAINT SPC_PC2 FOREIGN KEY (Published_connector_key2) REFERENCES Published_Connector "
     "(Published_connector_key)"},
    {10,
     "CONSTRAINT SPC_WP FOREIGN KEY (Work_package_key) REFERENCES Work_Package (Work_package_key)"},
    {14, "CONSTRAINT RTC_PK PRIMARY KEY (Cable_route_key)"},
    {14, "CONSTRAINT RTC_UNIQ UNIQUE (Cable_instance_key)"},
    {14,
     "CONSTRAINT RTC_CI FOREIGN KEY (Cable_instance_key) REFERENCES Cable_Instance "
     "(Cable_instance_key)"},
    {14,
     "CONSTRAINT RTC_EP1 FOREIGN KEY (Equipment_port_key_1) REFERENCES Equipment_Port "
     "(Equipment_port_key)"},
    {14,
     "CONSTRAINT RTC_EP2 FOREIGN KEY (Equipment_port_key_2) REFERENCES Equipment_Port "
     "(Equipment_port_key)"},
    {15, "CONSTRAINT RLC_PK PRIMARY KEY (Route_section_key)"},
    {15, "CONSTRAINT RLC_UNIQ UNIQUE (Cable_route_key,Cableway_section_key)"},
    {15,
     "CONSTRAINT RLC_RT FOREIGN KEY (Cable_route_key) REFERENCES Cable_Route (Cable_route_key)"},
    {15,
     "CONSTRAINT RLC_CS FOREIGN KEY (Cableway_section_key) REFERENCES Cableway_Section "
     "(Cableway_section_key)"},
    {16, "CONSTRAINT CAP_PK PRIMARY KEY (Cableway_Arc_Points_Key)"},
    {16,
     "CONSTRAINT CAP_SPC FOREIGN KEY (Cableway_arc_key) REFERENCES Cableway_Arc "
     "(Cableway_arc_key)"},
};

// Foreign keys to product-model classes outside the schema; they never become SQL.
const ClauseRow kOutsideReferences[] = {
    {1,
     "CONSTRAINT WPC_PI FOREIGN KEY (Part_instance_ptr) REFERENCES TVQItemInstance "
     "(80A2B3BD-0000-520C-383BE49800076012)"},
    {1,
     "CONSTRAINT WPC_DR FOREIGN KEY (Document_revision_ptr) REFERENCES TVQDocumentRevision "
     "(80A2B3BD-0000-0509-384D10620005108D)"},
};

// Outside class, "_N_" or "_D_", its identifier.
const ClauseRow kScopes[] = {
    {14, "TVQItemInstance_N_80A2B3BD-0000-520C-383BE49800076012"},
};

const int kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);
const int kColumnCount = sizeof(kColumns) / sizeof(kColumns[0]);
const int kConstraintCount = sizeof(kConstraints) / sizeof(kConstraints[0]);
const int kOutsideReferenceCount = sizeof(kOutsideReferences) / sizeof(kOutsideReferences[0]);
const int kScopeCount = sizeof(kScopes) / sizeof(kScopes[0]);

}  // namespace QIREdsCableRoutingSchema
